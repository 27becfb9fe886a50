#pragma once

#include <optional>
#include <string>

namespace voikit {

// Small files the toolbox keeps between runs so as not to work the same thing out again, in
// $XDG_CACHE_HOME/glomera, else ~/.cache/glomera. Never required: a cache that cannot be
// read is as good as none, and one that cannot be written is left as it is.

// The cache folder; empty when neither variable names an absolute folder.
std::string userCacheFolder();

// The text of the cache file `name`, or nothing.
std::optional<std::string> readUserCache(const std::string& name);

// Replaces the cache file `name` with `text`, whole or not at all; false when it could not.
bool writeUserCache(const std::string& name, const std::string& text);

}  // namespace voikit
