#!/usr/bin/env bash
# Checks what the plug-in library shows a host: the seven plain exports, the class members,
# and no C-linkage symbol a host could mistake for one of its own zt... entry points.
set -euo pipefail
library="$1"
symbols=$(nm -D --defined-only "$library" | awk '{print $3}')
status=0
for name in createPlugin getAuthor getGUIScript getHelpFile getPluginDescription \
            getPluginName getPluginVersion \
            _ZN19HLZTPluginInterfaceC1Ev _ZN19HLZTPluginInterfaceC1ERKS_ \
            _ZN19HLZTPluginInterfaceD0Ev _ZN19HLZTPluginInterfaceaSERKS_ _ZTV19HLZTPluginInterface \
            _ZN11static_intf19HLZTPluginInterfaceC1Ev _ZN11static_intf19HLZTPluginInterfaceC1ERKS0_ \
            _ZN11static_intf19HLZTPluginInterfaceD0Ev _ZN11static_intf19HLZTPluginInterfaceaSERKS0_ \
            _ZTVN11static_intf19HLZTPluginInterfaceE \
            _ZN7GlomeraC1Ev _ZN7GlomeraD0Ev _ZN7Glomera7executeEv _ZN7Glomera10initPluginEv; do
    if ! grep -qx "$name" <<<"$symbols"; then
        echo "missing export: $name"
        status=1
    fi
done
if grep -q '^zt' <<<"$symbols"; then
    echo "C-linkage zt symbols exported:"
    grep '^zt' <<<"$symbols"
    status=1
fi
unexpected=$(grep -v -E '^(create|get)|^_ZN19HLZTPluginInterface|^_ZT[VIS]19HLZTPluginInterface|^_ZN11static_intf|^_ZT[VIS]N11static_intf|^_ZN7Glomera|^_ZT[VIS]7Glomera' <<<"$symbols" || true)
if [ -n "$unexpected" ]; then
    echo "unexpected exports:"
    echo "$unexpected"
    status=1
fi
[ $status -eq 0 ] && echo "exports as expected"
exit $status
