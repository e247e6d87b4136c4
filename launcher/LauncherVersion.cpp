// Keeps the launcher library non-empty while its pieces arrive.
extern const char kLauncherName[] = "velmor";
