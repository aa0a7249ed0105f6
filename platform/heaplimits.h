// How the process's heap hands memory back. Window pictures are painted from full-screen
// images that live for one paint; by default the allocator raises its threshold after the first
// such block is freed and keeps the later ones in the heap, so an idle terminal would hold many
// megabytes it no longer uses.
#pragma once

namespace fenwix::platform {

// From now on blocks of a quarter megabyte and more come from the system and go back to it
// when freed. Call once, early in main.
void returnLargeBlocksWhenFreed();

}  // namespace fenwix::platform
