#include "tarvane/core/engine_assembly.h"

namespace tarvane {

EngineAssembly::EngineAssembly(EngineSetup setup, EnginePorts ports)
    : programDirectory(setup.programDirectory),
      store(files, programDirectory),
      resolver(ResolverSettings{setup.officialHost, setup.siteDomain}),
      context{tables, book, store, ports.sound, clock, programDirectory, 3000, &resolver, std::move(setup.retry)},
      scheduler(context),
      commands(context, scheduler, resolver, TaskCommands::Ports{ports.messages, ports.clipboard, ports.desktop},
               "tarvane") {}

}  // namespace tarvane
