// A testing aid: MORVEX_TEST_NAMESPACE gives the machine-wide names of this
// process and its children (the emulator's key, the settings key, the shared
// device table) a suffix of their own, so test programs that run at the same
// time in one registry or one Wine prefix never see each other's objects.
// Unset (as in every product use) the names are the plain ones.
#pragma once

#include <string>

namespace morvex::platform {

constexpr char kTestNamespaceVariable[] = "MORVEX_TEST_NAMESPACE";

// The variable's value, read on first use; characters outside [A-Za-z0-9_-]
// become '_', so the suffix is a valid part of key and object names.
const std::string& TestNamespace();

// `name` unchanged without a namespace, else `name` + "." + namespace.
std::string InTestNamespace(const std::string& name);

}  // namespace morvex::platform
