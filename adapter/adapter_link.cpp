#include "adapter_link.h"

namespace qe {

AdapterLink::AdapterLink(FtdiDriver& driver, Clock& clock, MessageSink& messages, RegisterImage& image)
    : driver_(driver),
      clock_(clock),
      messages_(messages),
      image_(image),
      TxBuffer(kBufferSize),
      RxBuffer(kBufferSize) {}

}  // namespace qe
