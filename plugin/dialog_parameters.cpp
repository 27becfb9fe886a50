#include "plugin/dialog_parameters.h"

#include "host/host_operations.h"

namespace glomera {

void readStringParameter(const char* name, char* buffer, std::size_t capacity) {
    host::ztGetStringParameter(name, buffer);
    buffer[capacity - 1] = '\0';
}

}  // namespace glomera
