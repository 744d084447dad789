#pragma once
// Process-wide settings made before the application object exists.
namespace Process {
// Without TZ, the C library looks at the zone file again for every local time it
// converts; reading it once makes date-heavy lists and exports several times faster.
// Freed memory is kept for the next long list.
void prepare();
}  // namespace Process
