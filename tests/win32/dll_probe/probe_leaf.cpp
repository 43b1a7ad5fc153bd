// A library that another one needs; built twice, as the genuine one and as a
// planted one of the same name, each answering its own value.
extern "C" __declspec(dllexport) int ProbeLeafValue()
{
    return KX_PROBE_LEAF_VALUE;
}
