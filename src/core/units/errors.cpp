#include "core/units/errors.h"

namespace kestro {

void FailAssertion(const char* path, int line) {
    throw EAssertionFailed("Assertion failure (" + std::string(path) + ", line " +
                           std::to_string(line) + ")");
}

}  // namespace kestro
