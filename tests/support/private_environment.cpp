// Gives a test program machine-wide names of its own (registry keys, the
// shared device table) and, natively, a home directory of its own before
// anything in the library reads them. A program started by hand, or one case
// of it started by CTest, is then as private as the whole program; child
// processes inherit both.
#include <cstdlib>

#ifdef MORVEX_WIN32
#include <windows.h>
#endif

namespace {

void SetVariable(const char* name, const char* value) {
#ifdef MORVEX_WIN32
  _putenv_s(name, value);
  SetEnvironmentVariableA(name, value);
#else
  setenv(name, value, 1);
#endif
}

struct PrivateEnvironment {
  PrivateEnvironment() {
    // A namespace given from outside (a test running another program) wins.
    if (std::getenv("MORVEX_TEST_NAMESPACE") == nullptr)
      SetVariable("MORVEX_TEST_NAMESPACE", MORVEX_TEST_NAME);
#ifdef MORVEX_TEST_HOME
    SetVariable("HOME", MORVEX_TEST_HOME);
#endif
  }
};

// Before every other static object, the library's among them.
__attribute__((init_priority(101))) PrivateEnvironment private_environment;

}  // namespace
