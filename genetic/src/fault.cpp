#include "fault.hpp"

namespace genetic {

void fault(const char* message) { throw Fault(message); }
void fault(const std::string& message) { throw Fault(message); }

}  // namespace genetic
