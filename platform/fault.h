#pragma once
// Faults injected by a test build (QM_FAULT_INJECTION) at named places: there, FaultPoint throws an
// exception that is not the platform's failure type the first time it runs for each place listed in
// the environment variable QUILLMARK_FAULTS ("dialog,tick"). Elsewhere it does nothing.
namespace qm {

#ifdef QM_FAULT_INJECTION
void FaultPoint(const char* place);
#else
inline void FaultPoint(const char*) {}
#endif

}  // namespace qm
