#include "tarvane/store/xml_result_log.h"

namespace tarvane {

void XmlResultLog::Add(const Entry&) {}
void XmlResultLog::Update(const Entry&) {}

}  // namespace tarvane
