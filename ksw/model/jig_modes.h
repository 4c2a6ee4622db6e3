// Sub-modes of the jig commands, declared once for the compile and the run side.
#pragma once

namespace ksw {

// setsw( and setfsw(: the choice word.
enum SwitchWord : int { kSwOff, kSwOn, kSwAssign, kSwRemote, kSwSet, kSwReset, kSwRead };

// getad2(: "tri" starts a conversion, "rea" reads, "nor" starts and reads, "che" judges the busy
// line, "add" reads without waiting.
enum Getad2Mode : int { kGetad2Trigger, kGetad2Read, kGetad2Normal, kGetad2Check, kGetad2Add };

// startsw(: no word counts one Enter, "her" waits for Enter, "cle" clears the key buffer.
enum StartswMode : int { kStartswCount, kStartswWait, kStartswClear };

}  // namespace ksw
