// Registers the installed driver (class, ProgIDs, type library) in the
// registry file, or removes it again with --unregister.
#include <cstdio>
#include <cstring>

#include "zentrava/interfaces.h"

int main(int argc, char** argv) {
    const bool unregister = argc == 2 && std::strcmp(argv[1], "--unregister") == 0;
    if (argc > 2 || (argc == 2 && !unregister)) {
        std::fprintf(stderr, "usage: %s [--unregister]\n", argv[0]);
        return 2;
    }
    const HRESULT hr = unregister ? DllUnregisterServer() : DllRegisterServer();
    if (FAILED(hr)) {
        std::fprintf(stderr, "%s failed: 0x%08x\n", unregister ? "DllUnregisterServer" : "DllRegisterServer",
                     static_cast<unsigned>(hr));
        return 1;
    }
    return 0;
}
