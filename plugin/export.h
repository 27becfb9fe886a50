#pragma once

// Marks what the host may see; everything else in the library stays hidden.
#define GLOMERA_EXPORT __attribute__((visibility("default")))
