#pragma once

#include <string>

namespace voikit {

// The version of Glomera the programs were built as: the project's version ("1.0.0").
const char* glomeraVersion();

// The git commit the build came from ("d1c2f04e1a2b"); empty when built outside a checkout.
const char* buildCommit();

// Whether the checkout had changes not yet committed when it was built.
bool builtWithLocalChanges();

// What --version prints, in the form manual pages take it: "glomera-voi (Glomera) 1.0.0",
// then a line naming the commit when there is one.
std::string versionText(const std::string& program);

}  // namespace voikit
