#!/bin/sh
# Makes a payload folder shaped like the delivered one from files that the
# set-up script has already installed: 32 common files (0000) and 32 files
# of the year 2017 with the same relative paths, about 67 MB in all, the
# largest about 6.8 MB, packing to about 23 MB. Nothing is downloaded.
#   make-payload.sh FOLDER
# Each line below is: relative path, the 0000 source, the 2017 source. A
# source given as a|b takes the first of the alternatives that exists.
# Wine's PE libraries stand in for the add-in's libraries; a compressed
# changelog stands in for the banner picture, which, like any picture,
# does not compress further, so the package keeps the delivered one's
# ratio of about a third.
set -eu
out=$1
dlls=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
doc=/usr/share/doc
fonts=/usr/share/fonts/truetype/dejavu
cmake_icons=$(ls -d /usr/share/cmake-*/Templates/Windows 2>/dev/null | head -n1)

pick() {
    old_ifs=$IFS
    IFS='|'
    for candidate in $1; do
        if [ -f "$candidate" ]; then
            IFS=$old_ifs
            echo "$candidate"
            return 0
        fi
    done
    IFS=$old_ifs
    echo "make-payload: none of $1 is installed (run scripts/bootstrap.sh)" >&2
    return 1
}

rm -rf "$out"
while read -r path common year; do
    [ -n "$path" ] || continue
    for version in 0000 2017; do
        if [ $version = 0000 ]; then source=$(pick "$common"); else source=$(pick "$year"); fi
        mkdir -p "$(dirname "$out/$version/$path")"
        cp "$source" "$out/$version/$path"
    done
done <<LIST
tarmesh.addin /usr/share/wine/applications/wine.desktop /usr/share/wine/applications/wine.desktop
tarmesh/tarmesh.dll $dlls/msi.dll $dlls/kernelbase.dll
tarmesh/es/tarmesh.resources.dll $dlls/cards.dll $dlls/mciavi32.dll
tarmesh/fr/tarmesh.resources.dll $dlls/prntvpt.dll $dlls/bcrypt.dll
tarmesh/it/tarmesh.resources.dll $dlls/netprofm.dll $dlls/tapi32.dll
tarmesh/pt/tarmesh.resources.dll $dlls/dnsapi.dll $dlls/msv1_0.dll
tarmesh/zh/tarmesh.resources.dll $dlls/sxs.dll $dlls/credui.dll
tarmesh/help/index.html $doc/ninja-build/manual.html $doc/ninja-build/manual.html
tarmesh/help/advert.html $doc/ocl-icd-libopencl1/html/libOpenCL.html|$doc/ninja-build/manual.html $doc/ninja-build/manual.html
tarmesh/help/fonts/DejaVuSans.ttf $fonts/DejaVuSans.ttf $fonts/DejaVuSans.ttf
tarmesh/help/fonts/DejaVuSans-Bold.ttf $fonts/DejaVuSans-Bold.ttf $fonts/DejaVuSans-Bold.ttf
tarmesh/help/fonts/DejaVuSansMono.ttf $fonts/DejaVuSansMono.ttf $fonts/DejaVuSansMono.ttf
tarmesh/help/fonts/DejaVuSerif.ttf $fonts/DejaVuSerif.ttf $fonts/DejaVuSerif.ttf
tarmesh/help/images/logo.svg /usr/share/icons/hicolor/scalable/apps/wine-stable.svg /usr/share/icons/hicolor/scalable/apps/wine-stable.svg
tarmesh/help/images/icon.png $cmake_icons/ApplicationIcon.png $cmake_icons/ApplicationIcon.png
tarmesh/help/images/banner.png $doc/xvfb/changelog.gz|$dlls/wmphoto.dll $doc/python3.11/NEWS.gz|$dlls/l3codeca.acm
tarmesh/x64/dinput.dll $dlls/dinput.dll $dlls/xinput1_3.dll
tarmesh/x64/qedit.dll $dlls/qedit.dll $dlls/mfreadwrite.dll
tarmesh/x64/advapi32.dll $dlls/advapi32.dll $dlls/wintrust.dll
tarmesh/x64/avifil32.dll $dlls/avifil32.dll $dlls/uiautomationcore.dll
tarmesh/x64/msctf.dll $dlls/msctf.dll $dlls/combase.dll
tarmesh/x64/winhttp.dll $dlls/winhttp.dll $dlls/d3d8.dll
tarmesh/x64/qcap.dll $dlls/qcap.dll $dlls/mscoree.dll
tarmesh/x64/dplayx.dll $dlls/dplayx.dll $dlls/hhctrl.ocx
tarmesh/x86/inetcomm.dll $dlls/xapofx1_5.dll $dlls/wow64.dll
tarmesh/x86/d3d10.dll $dlls/opencl.dll $dlls/ia2comproxy.dll
tarmesh/x86/dxgi.dll $dlls/mciqtz32.dll $dlls/d3dx10_43.dll
tarmesh/x86/shlwapi.dll $dlls/shlwapi.dll $dlls/dinput8.dll
tarmesh/x86/wbemprox.dll $dlls/wbemprox.dll $dlls/xaudio2_9.dll
tarmesh/x86/mp3dmod.dll $dlls/mp3dmod.dll $dlls/xactengine3_7.dll
tarmesh/x86/dmime.dll $dlls/dmime.dll $dlls/mscms.dll
tarmesh/x86/dsound.dll $dlls/dsound.dll $dlls/msdaps.dll
LIST
