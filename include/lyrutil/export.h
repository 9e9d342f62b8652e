/// @file
/// LYRUTIL_API marks the library's exported interface; everything else stays inside the library.
#ifndef LYRUTIL_EXPORT_H
#define LYRUTIL_EXPORT_H

#if defined(_WIN32)
#if defined(LYRUTIL_BUILD)
// The DLL's .def file, made from the export map, says what it exports: dllexport on a class
// would export its private members too.
#define LYRUTIL_API
#else
#define LYRUTIL_API __declspec(dllimport)
#endif
#else
/// Marks the library's exported interface.
#define LYRUTIL_API __attribute__((visibility("default")))
#endif

#endif  // LYRUTIL_EXPORT_H
