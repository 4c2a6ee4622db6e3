// Sub-modes and slots of the serial and register-file commands, declared once for the compile
// and the run side.
#pragma once

namespace ksw {

// rs232c(: the form word.
enum Rs232cForm : int { kRsSet, kRsReset, kRsStatus, kRsClear, kRsTimeout, kRsPort };

// rscom(: the form word. Slots: 0 the first send register S, 1 the send count NS, 2 the first
// receive register R, 3 the receive count NR; real 0 the time T in seconds.
enum RscomForm : int { kRscomRetry, kRscomFixedTx, kRscomFixedRx, kRscomFixedTxRx, kRscomPacketTx, kRscomPacketRx,
                       kRscomPacketTxRx };

// sendmicon(: "sen" sends the file, "run" adds the loader's handshake.
enum SendmiconForm : int { kSendmiconSend, kSendmiconRun };

// rwfile(: the register class (sub-mode) and the access word (slot 0). Slots: 1 the first
// register, 2 the count, 3 the values per line, 4 1 for the writing words.
enum RwfileClass : int { kRwfileRd, kRwfileAd, kRwfileDecimalAd };
enum RwfileAccess : int { kRwfileFastRead, kRwfileRead, kRwfileFastWrite, kRwfileWrite, kRwfileFastAppend, kRwfileAppend };

}  // namespace ksw
