// LyrUtil: the shared utility library of the Tessera suite. Applications include this header.
#ifndef LYRUTIL_H
#define LYRUTIL_H

#include <lyrutil/export.h>
#include <lyrutil/resources.h>
#include <lyrutil/frame.h>
#include <lyrutil/files.h>
#include <lyrutil/numeric.h>
#include <lyrutil/records.h>
#include <lyrutil/audit.h>
#include <lyrutil/instrument.h>
#include <lyrutil/threads.h>
#include <lyrutil/dib.h>
#include <lyrutil/print.h>

#endif  // LYRUTIL_H
