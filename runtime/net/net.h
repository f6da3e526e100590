// Every public header of the network module (sessions and web download), for
// runtime/runtime.h.
#pragma once

#include "runtime/net/download.h"
#include "runtime/net/download_url.h"
#include "runtime/net/session.h"
