#include "tarvane/core/engine_assembly.h"

#include "platform/settings.h"
#include "tarvane/engine/file_name.h"
#include "tarvane/engine/segment_map.h"
#include "tarvane/store/task_file_repair.h"

namespace tarvane {

namespace {

// The bytes a stored task holds: its count, or more where its segment map shows more on disk.
int64_t HeldBytes(const TaskEntry& entry) {
    if (entry.type.empty() || entry.name.empty() || !entry.sizeKnown) {
        return entry.counted;
    }
    auto map = LoadSegmentMap(DataFilePath(entry.path, entry.name, entry.type));
    return map && map->size == entry.size ? std::max(entry.counted, map->DoneBytes()) : entry.counted;
}

}  // namespace

EngineAssembly::EngineAssembly(EngineSetup setup, EnginePorts ports)
    : programDirectory(setup.programDirectory),
      writer(book, files, programDirectory),
      limiter(clock, platform::Settings(programDirectory).MaxSpeed()),
      hostBudget(clock, platform::Settings(programDirectory).MaxConnectionsPerHost()),
      resolver(ResolverSettings{setup.officialHost, setup.siteDomain}),
      context{tables, book, ports.sound, clock, programDirectory, 3000, &resolver, std::move(setup.retry)},
      scheduler(context),
      commands(context, scheduler, resolver, TaskCommands::Ports{ports.clipboard, ports.desktop}),
      unpacker(book, tables, programDirectory) {
    context.ends = ports.ends;
    // Read at each start of a large file, so a change in the options counts from the next start.
    context.connectionLimit = [directory = programDirectory] { return platform::Settings(directory).MaxConnections(); };
    context.speedLimiter = &limiter;
    context.hostBudget = &hostBudget;
    context.saveNow = [this] { return writer.Flush(std::chrono::seconds(10)); };
}

EngineAssembly::~EngineAssembly() {
    Shutdown(std::chrono::seconds(5));
}

void EngineAssembly::Tell(std::function<void(const std::string&)> unsaved,
                          std::function<void(const SetAsideFile&)> setAside, TaskEnds* ends) {
    writer.OnUnsaved(std::move(unsaved));
    files.OnSetAside(std::move(setAside));
    context.ends = ends;
}

std::vector<SetAsideFile> EngineAssembly::LoadTasks() {
    std::vector<SetAsideFile> damaged = RepairTaskFiles(files, programDirectory);
    std::vector<TaskEntry> entries;
    std::vector<bool> ranWhenStopped;
    for (const DownloadTask& task : files.ListTasks(programDirectory + kDownloadFileName)) {
        TaskEntry entry = EntryFromStored(task);
        entry.done = HeldBytes(entry);
        ranWhenStopped.push_back(task.flag == "1");
        entries.push_back(std::move(entry));
    }
    std::vector<TaskId> ids = book.Load(std::move(entries), files.ListCompleted(programDirectory + kCompletedFileName));
    // A task that ran when the program was ended is paused now: its item says so too.
    for (std::size_t i = 0; i < ids.size(); ++i) {
        if (ranWhenStopped[i]) {
            book.Update(
                ids[i], [](TaskEntry&) {}, Saving::Now);
        }
    }
    writer.Start();
    return damaged;
}

bool EngineAssembly::Shutdown(std::chrono::milliseconds limit, const std::function<void()>& serveInterface) {
    scheduler.Shutdown(limit, serveInterface);
    scheduler.JoinAll();
    writer.Stop(std::chrono::seconds(2));
    return !writer.HasUnsaved();
}

}  // namespace tarvane
