/* The largest string or opaque that a message may claim at this point.
   Decoding a record held in memory, nothing can be longer than what is left
   of it; an unbounded claim (the protocol's "<>") would otherwise have the
   XDR library allocate up to 4 GiB before finding the record too short.
   Other streams keep the protocol's bound of none. */
#ifndef ZTV_XDR_RECORD_BOUND_H
#define ZTV_XDR_RECORD_BOUND_H

#include <rpc/rpc.h>

#ifdef __cplusplus
extern "C" {
#endif

u_int ztv_xdr_record_bound(const XDR* xdrs);

#ifdef __cplusplus
}
#endif

/* rpcgen names the stream of every routine it writes "xdrs". */
#define RECORD_BOUND ztv_xdr_record_bound(xdrs)

#endif
