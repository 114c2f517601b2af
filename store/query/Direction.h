// Which way a walk through a result goes: towards its end or towards its start. The reads and
// moves that differ only in their direction are one function taking this, so that a fix to one
// way can't miss the other.
#pragma once

namespace quorvel {

enum class Direction { Forward, Backward };

}  // namespace quorvel
