#include "platform/Registry.h"

#include "platform/MemoryRegistry.h"

namespace kovra {
namespace {

std::unique_ptr<Registry> MakeMemoryRegistry() {
  return std::make_unique<MemoryRegistry>(SharedMemoryRegistryHive());
}

RegistryFactory& Factory() {
  static RegistryFactory factory = MakeMemoryRegistry;
  return factory;
}

}  // namespace

RegistryFactory SetRegistryFactory(RegistryFactory factory) {
  RegistryFactory old = std::move(Factory());
  Factory() = factory ? std::move(factory) : RegistryFactory(MakeMemoryRegistry);
  return old;
}

std::unique_ptr<Registry> CreateRegistry() { return Factory()(); }

}  // namespace kovra
