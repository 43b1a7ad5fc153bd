// A library that needs probe_leaf.dll, as an engine needs the DLLs of its
// folder: its answer tells which probe_leaf.dll the loader found.
extern "C" __declspec(dllimport) int ProbeLeafValue();

extern "C" __declspec(dllexport) int ProbeValue()
{
    return ProbeLeafValue();
}
