// Stores whose library is heavy to load (libical for the calendar) live in a
// module of their own beside the program, loaded only when a store of that
// kind is made. Called on the thread that makes the store.
#pragma once

#include <memory>

#include "base/program_modules.h"

/// A new store from `moduleFile` (a file name such as
/// "tovana-mervo-calendar.so"), made by its exported `factory`, a function
/// without arguments returning a new `Store` that the caller owns. Nothing
/// when the module or its factory cannot be loaded or the factory gives none.
template <typename Store>
std::unique_ptr<Store> newStoreFromModule(const char* moduleFile, const char* factory) {
  using NewStore = Store* (*)();
  auto create = reinterpret_cast<NewStore>(loadModuleSymbol(moduleFile, factory));
  return std::unique_ptr<Store>(create ? create() : nullptr);
}
