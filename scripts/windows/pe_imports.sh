# Sourced by the Windows scripts: what a Windows program or library imports, and which of those
# DLLs Windows itself brings (system-dlls.txt beside this file).
#   pe_imports FILE        the DLLs FILE imports, one a line, in small letters
#   is_system_dll NAME     true when NAME (small letters) is one Windows brings
pe_imports() {
    x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr '[:upper:]' '[:lower:]'
}

pe_system_dlls=$(grep -v '^#' "$(dirname "${BASH_SOURCE[0]}")/system-dlls.txt")

is_system_dll() {
    grep -qxF "$1" <<<"$pe_system_dlls"
}
