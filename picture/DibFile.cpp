// TEMPORARY: replaced by the file reading and writing.
#include "GrafikRW.h"
PictureRecord OpenDib(const char*, int32_t) { return {}; }
bool SaveDib(const PictureRecord&, const char*, int32_t) { return false; }
const char* GetDIBSaveFilter() { return ""; }
