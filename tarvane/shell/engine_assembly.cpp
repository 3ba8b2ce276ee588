#include "tarvane/shell/engine_assembly.h"

#include "platform/site_hosts.h"

namespace tarvane {

EngineAssembly::EngineAssembly(const std::string& directory, TaskListView& list, ShellPorts ports)
    : programDirectory(directory),
      store(files, directory),
      context{tables, list, store, ports.sound, clock, directory, 3000, &resolver, {}},
      resolver(ResolverSettings{platform::OfficialHost(), platform::SiteDomain()}),
      scheduler(context),
      commands(context, scheduler, resolver, TaskCommands::Ports{ports.messages, ports.clipboard, ports.desktop},
               platform::OfficialHost(), "tarvane") {}

}  // namespace tarvane
