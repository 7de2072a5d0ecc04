// The library's entry point: loading builds nothing beyond the static
// registry, so attach and detach simply report success.
#ifdef MORVEX_WIN32
extern "C" int __stdcall DllMain(void* module, unsigned long reason, void* reserved) {
  (void)module, (void)reason, (void)reserved;
  return 1;
}
#endif
