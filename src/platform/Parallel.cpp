#include "platform/Parallel.h"

#include <exception>
#include <thread>

namespace kalix {

bool HasSecondProcessor() {
  static const bool second = std::thread::hardware_concurrency() >= 2;
  return second;
}

void RunInParallel(const std::function<void()>& first, const std::function<void()>& second) {
  if (!HasSecondProcessor()) {
    first();
    second();
    return;
  }
  std::exception_ptr secondFailure;
  std::thread other([&] {
    try {
      second();
    } catch (...) {
      secondFailure = std::current_exception();
    }
  });
  std::exception_ptr firstFailure;
  try {
    first();
  } catch (...) {
    firstFailure = std::current_exception();
  }
  other.join();
  if (firstFailure) std::rethrow_exception(firstFailure);
  if (secondFailure) std::rethrow_exception(secondFailure);
}

}  // namespace kalix
