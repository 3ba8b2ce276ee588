#include "tarvane/core/engine_assembly.h"

#include "platform/settings.h"

namespace tarvane {

EngineAssembly::EngineAssembly(EngineSetup setup, EnginePorts ports)
    : programDirectory(setup.programDirectory),
      store(files, programDirectory),
      limiter(clock, platform::Settings(programDirectory).MaxSpeed()),
      resolver(ResolverSettings{setup.officialHost, setup.siteDomain}),
      context{tables, book, store, ports.sound, clock, programDirectory, 3000, &resolver, std::move(setup.retry)},
      scheduler(context),
      commands(context, scheduler, resolver, TaskCommands::Ports{ports.messages, ports.clipboard, ports.desktop},
               "tarvane") {
    context.ends = ports.ends;
    // Read at each start of a large file, so a change in the options counts from the next start.
    context.connectionLimit = [directory = programDirectory] { return platform::Settings(directory).MaxConnections(); };
    context.speedLimiter = &limiter;
}

}  // namespace tarvane
