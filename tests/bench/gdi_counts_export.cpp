// Where the GDI owners count what they took and what went, exported by name: the benchmark
// finds the addresses in this image's export table and reads the counts with
// ReadProcessMemory, so measuring adds no thread, window or handle to the process.
#include "util/unique_resource.h"

extern "C" {
extern __declspec(dllexport) std::atomic<long>* const tandrelGdiObjectsTaken = &util::gdiObjectsTaken;
extern __declspec(dllexport) std::atomic<long>* const tandrelGdiObjectsGone = &util::gdiObjectsGone;
}
