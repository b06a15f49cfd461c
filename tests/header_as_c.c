/* The public header must compile as plain C. */
#include "tavrix.h"

int tavrix_header_compiles_as_c(void) {
    TVX_HANDLE h = 0;
    TVX_SysSpecification sysRecord;
    sysRecord.axisCount = 0;
    return (int)sysRecord.axisCount + (h == 0 ? TVX_OK : TVX_ERR_INVALID_HANDLE);
}
