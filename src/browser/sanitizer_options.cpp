// Read by AddressSanitizer before main() in a sanitizer build; ASAN_OPTIONS
// from the environment still overrides it. Nothing of this is in a release.
//
// The browser process hosts Chromium (Qt WebEngine), which is built without the
// sanitizer and deletes some of its own objects through a base of another
// size as it tears a page down. ASan cannot be told to look away for one
// library, so this one check is off for this executable only; every test
// executable keeps it.

#if defined(__SANITIZE_ADDRESS__)
extern "C" const char *__asan_default_options()
{
    return "new_delete_type_mismatch=0";
}
#endif
