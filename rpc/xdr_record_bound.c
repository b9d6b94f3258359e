#include "xdr_record_bound.h"

#include <stdint.h>

/* Memory streams are known by their operations tables: one for aligned and
   one for unaligned buffers. */
static int IsMemoryStream(const XDR* xdrs) {
    union {
        int32_t word[2];
        char bytes[8];
    } buffer;
    XDR aligned;
    XDR unaligned;
    xdrmem_create(&aligned, buffer.bytes, 4, XDR_DECODE);
    xdrmem_create(&unaligned, buffer.bytes + 1, 4, XDR_DECODE);
    return xdrs->x_ops == aligned.x_ops || xdrs->x_ops == unaligned.x_ops;
}

u_int ztv_xdr_record_bound(const XDR* xdrs) {
    if (xdrs->x_op != XDR_DECODE || !IsMemoryStream(xdrs)) return ~0u;
    /* What is left still holds the length word itself. */
    return xdrs->x_handy > 4 ? xdrs->x_handy - 4 : 0;
}
