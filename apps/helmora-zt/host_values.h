#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>

#include "apps/option-values/option_values.h"
#include "headless/host_session.h"
#include "headless/job.h"

// The values only the host stand-in's command line takes, read once while it is parsed.

// A whole number a 32-bit int holds: --document-id, --document-type.
const options::ValueKind<std::int32_t>& wholeNumberKind();

// MAJOR.MINOR.REVISION: three whole numbers from 0.
const options::ValueKind<std::array<int, 3>>& versionKind();

// X,Y,Z,R: four numbers, each within a float's range.
const options::ValueKind<headless::SphereFields>& sphereKind();

// NAME=VALUE with a name before the equals sign; `form` says so in a refusal ("NAME=VALUE").
options::ValueKind<std::pair<std::string, std::string>> assignmentKind(const std::string& form);

// Sets the VMR header field that "FIELD=VALUE" names. Throws CLI::ValidationError naming the
// field and what it wants when the text is no such assignment.
void setHeaderField(const std::string& assignment, headless::HostSession::VmrHeader& header);
