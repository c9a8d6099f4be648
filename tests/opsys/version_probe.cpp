// A DLL that carries nothing but a version resource, for the version tests.
extern "C" __declspec(dllexport) int opsys_version_probe() { return 3; }
