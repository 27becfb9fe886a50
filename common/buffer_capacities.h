#pragma once

namespace glomera {

// Capacities of the strings the host fills in the plug-in's working buffers, terminator
// included: the host writes no more, so they are also the limits of the values exchanged.
// The toolbox keeps to the same limits when it makes a list for the text box.
constexpr int kCommandCapacity = 256;
constexpr int kPathCapacity = 512;
constexpr int kStringParameterCapacity = 512;
constexpr int kTextCapacity = 100000;

}  // namespace glomera
