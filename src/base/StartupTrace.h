#pragma once

namespace kestrola::core {

/// With KESTROLA_TRACE_STARTUP in the environment, writes `step` with the milliseconds since
/// the previous step and since the first one to the standard error; does nothing otherwise.
/// For finding where start-up time goes.
void TraceStartup(const char* step);

} // namespace kestrola::core
