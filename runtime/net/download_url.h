// Web download by URL (http and https, on libcurl), beside the plain HTTP/1.0 one.
#pragma once

#include "runtime/core/dyn_string.h"

namespace runtime {

// Fetches an http:// or https:// URL into `file`: 1 when a reply with a 2xx status
// arrived whole (its declared length or chunked end reached) and replaced `file`; 0
// otherwise, with `file` as it was and nothing partial beside it. https checks the
// certificate chain and the host name; redirects are followed, at most 5, never from
// https to plain http. set_download_timeout bounds the whole call, redirects included;
// set_download_limit bounds the body.
double download_url_to_file(const DynString& url, const DynString& file);
// The HTTP status of the last reply the last download_url_to_file got (after
// redirects, the last one's); 0 when no reply came.
double download_status();
// Trusts the certificate authorities in this file (PEM) instead of the system's for
// https; the empty text goes back to the system's.
void set_download_ca_file(const DynString& file);

}  // namespace runtime
