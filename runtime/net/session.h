// Network sessions: one program hosts on a port, others join it; each registers
// players by name and sends text messages to one player or to everybody, through the
// host. Ports of 0 or less mean 26000. Requests wait up to 5 s for the host.
#pragma once

#include "runtime/core/dyn_string.h"

namespace runtime {

// Hosts a session on `port` (this program joins it too): 1, or 0 when the port
// cannot be opened. Stops any running session first.
double net_host(double port);
// Joins the session at `address` (empty: this machine): 1 when the host answered
// the greeting, else 0. Stops any running session first.
double net_join(const DynString& address, double port);
// This machine's addresses as "a.b.c.d:26000" joined by "|"; empty when none. Stops
// any running session first.
DynString net_local_addresses();
// Registers a local player (hidden when the name is empty): its id as text, "-1"
// when the host refused it (full), gave none in time, or the name is longer than 127 bytes.
DynString net_add_player(const DynString& name);
// Sends a leave for the id (when it is not negative); always 1.
double net_remove_player(double id);
// Sends `text` from player `sender` to player `target` (0: every visible player but
// the sender): 1 when it went out, 0 when not (no session, the connection to the host
// gone, text above 1024 bytes). The host drops an empty text.
double net_send(double sender, double target, const DynString& text);
// The oldest message for a local player (up to its first zero byte), removed from its
// queue; empty when there is none.
DynString net_receive(double player);
// The sender of the message net_receive took last, as text.
DynString net_last_sender();
// The number of visible players of the session; 0 when the host does not answer.
double net_player_count();
// The id of the visible player at `index` (from 0) as text; "0" when there is none.
DynString net_player_id(double index);
// The name of a player; "NO_DATA" for a hidden, nameless or unknown player, or when the
// host does not answer within the wait.
DynString net_player_name(double id);

}  // namespace runtime
