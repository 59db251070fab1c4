// A valid DLL that does nothing: copied beside the exes under the names
// that are planted in Downloads folders, it shows whether they load it.
