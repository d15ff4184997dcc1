// Machines as objects, and which one is current on each thread.
#include "platform/memory_internal.h"

namespace memory {

namespace {

thread_local Machine* current = nullptr;

Machine& ThreadDefault() {
  thread_local Machine machine;
  return machine;
}

}  // namespace

namespace internal {

State& StateOf(Machine& machine) { return *machine.state_; }

State& Current() { return StateOf(CurrentMachine()); }

}  // namespace internal

Machine::Machine() : state_(std::make_unique<internal::State>()) {
  UseMachine use(*this);
  Reset();
}

Machine::~Machine() = default;

Machine& CurrentMachine() { return current != nullptr ? *current : ThreadDefault(); }

UseMachine::UseMachine(Machine& machine) : previous_(current) { current = &machine; }

UseMachine::~UseMachine() { current = previous_; }

}  // namespace memory
