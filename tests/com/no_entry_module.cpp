// A loadable module without DllGetClassObject.
extern "C" int NotAComServer() { return 0; }
