// The "directoryNumber" element of one line (a number of the directory-number usage).
#pragma once

#include "builders/BuilderSupport.h"

namespace zeb {

class CXMLNPDirectoryNumber : public CXMLElement {
 public:
  // Builds nothing for a null identifier or one that names no number. Throws CZDLException 2
  // "The NumPlan specified is not a Directory Number." when the number is of another usage.
  void BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id);

  // The element and columns of one kind of call forward.
  struct ForwardColumns {
    const char* element;
    const char* css;
    const char* voiceMail;
    const char* destination;
  };

 private:
  void AddAARNeighborhood(zdl::CZDLSession& session, const zdl::CFastAccess& row);
  // "callForwardAll" and its kin, written only when the forward has a calling search space.
  void AddCallForward(const zdl::CFastAccess& row, const ForwardColumns& columns);
};

}  // namespace zeb
