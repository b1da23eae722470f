#!/usr/bin/env python3
"""Builds OVCustInstSrv-<version>.msi from OVCustInstSrv.wxs with wixl.

The registry rows that register each module are made here from the module's own registration
script (the .rgs that DllRegisterServer runs) and its interface definition (what
RegisterTypeLib writes for the type library and the dual interface), so the package and
regsvr32 cannot drift apart. wixl lacks a few WiX features the package uses; they are applied
to the built database with msibuild: component conditions and Permanent components.
"""
import argparse
import os
import re
import subprocess
import sys
import uuid
from pathlib import Path
from xml.sax.saxutils import quoteattr

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent
# The universal marshaler that RegisterTypeLib names for a dual, ole-automation interface.
UNIVERSAL_MARSHALER = "{00020424-0000-0000-C000-000000000046}"
# The library's flags as the platform's RegisterTypeLib writes them for a library it loaded
# from a file on disk (LIBFLAG_FHASDISKIMAGE; the library itself sets none).
TYPELIB_FLAGS = "8"
# Product codes are derived from the version: the same version always has the same code.
PRODUCT_NAMESPACE = uuid.UUID("5C7E2B20-3F41-4D2A-9B6E-2F0C41A7D381")


def rgs_rows(text):
    """The rows an .rgs script writes: (key, value name or None, data or None) in script order.

    A row with data None is a key without a value. Top-level keys that unregistration removes
    whole are returned separately, so the package deletes them with everything below them."""
    # A key named by a GUID in braces is one word, not a block.
    tokens = re.findall(r"'[^']*'|\{[0-9A-Fa-f-]{36}\}|[{}=]|[^\s{}=']+", text)
    rows, removable, stack, i = [], [], [], 0

    def word(t):
        return t[1:-1] if t.startswith("'") else t

    while i < len(tokens):
        t = tokens[i]
        if t == "}":
            stack.pop()
            i += 1
            continue
        if t == "{":
            raise ValueError("'{' without a key in the registration script")
        flag = None
        if t in ("ForceRemove", "NoRemove", "Delete"):
            flag, i = t, i + 1
            t = tokens[i]
        is_value = t == "val"
        if is_value:
            i += 1
        name = word(tokens[i])
        i += 1
        data = None
        if i < len(tokens) and tokens[i] == "=":
            if tokens[i + 1] != "s":
                raise ValueError(f"only string values are supported, not {tokens[i + 1]!r}")
            data, i = word(tokens[i + 2]), i + 3
        if is_value:
            rows.append(("\\".join(stack), name, data))
            continue
        if not stack:  # the root key (HKCR)
            if name != "HKCR":
                raise ValueError(f"registration script root {name!r} is not HKCR")
        else:
            key = "\\".join(stack[1:] + [name])
            if flag != "NoRemove":
                if data is not None:
                    rows.append((key, None, data))
                elif not (i < len(tokens) and tokens[i] == "{"):
                    rows.append((key, None, None))  # an empty key
                if len(stack) == 1 or stack[-1] == "CLSID" and len(stack) == 2:
                    removable.append(key)
        if i < len(tokens) and tokens[i] == "{":
            stack.append(name)
            i += 1
    # Values nested under the root carry "HKCR\" in their key: drop it.
    rows = [(k.split("\\", 1)[1] if k.startswith("HKCR\\") else k, n, d) for k, n, d in rows]
    return rows, removable


def idl_typelib(text):
    """LIBID, version and help string of the library; IID and name of each dual interface."""
    attrs = r"\[([^\]]*)\]\s*"
    lib = re.search(attrs + r"library\s+(\w+)", text)
    if not lib:
        raise ValueError("no library in the interface definition")
    libattrs = lib.group(1)
    libid = re.search(r"uuid\(([^)]+)\)", libattrs).group(1).upper()
    version = re.search(r"version\(([^)]+)\)", libattrs).group(1)
    helpstring = re.search(r'helpstring\("([^"]*)"\)', libattrs).group(1)
    interfaces = []
    for m in re.finditer(attrs + r"interface\s+(\w+)\s*:", text):
        if "dual" in m.group(1) or "oleautomation" in m.group(1):
            iid = re.search(r"uuid\(([^)]+)\)", m.group(1)).group(1).upper()
            interfaces.append((iid, m.group(2)))
    return "{" + libid + "}", version, helpstring, interfaces


def registration_rows(rgs_text, idl_text):
    """The registry rows of DllRegisterServer, as (key, name, data), and the keys it removes
    whole; then the rows of the library's own key that both modules share (TypeLib is one key
    for both registry views), written once, by the x64 module's component."""
    rows, removable = rgs_rows(rgs_text)
    libid, version, helpstring, interfaces = idl_typelib(idl_text)
    lib = f"TypeLib\\{libid}\\{version}"
    rows.append((f"{lib}\\0\\$(var.TypeLibPlatform)", None, "%MODULE%"))
    removable.append(f"TypeLib\\{libid}")
    for iid, name in interfaces:
        key = f"Interface\\{{{iid}}}"
        rows += [(key, None, name),
                 (f"{key}\\ProxyStubClsid", None, UNIVERSAL_MARSHALER),
                 (f"{key}\\ProxyStubClsid32", None, UNIVERSAL_MARSHALER),
                 (f"{key}\\TypeLib", None, libid),
                 (f"{key}\\TypeLib", "Version", version)]
        removable.append(key)
    shared = [(lib, None, helpstring),
              (f"{lib}\\FLAGS", None, TYPELIB_FLAGS),
              (f"{lib}\\HELPDIR", None, "[$(var.ServerFolder)]")]
    return rows, removable, shared


def registration_wxi(rows, removable):
    out = ['<?xml version="1.0" encoding="utf-8"?>',
           "<!-- Made by make_package.py from the registration script and the interface",
           "     definition: the rows DllRegisterServer writes. -->",
           "<Include>"]
    for key in removable:
        # "*": created on install, removed with everything below it on uninstall.
        out.append(f'  <RegistryValue Root="HKCR" Key={quoteattr(key)} Name="*" Type="string" Value=""/>')
    for key, name, data in rows:
        if data is None:
            out.append(f'  <RegistryValue Root="HKCR" Key={quoteattr(key)} Name="*" Type="string" Value=""/>')
            continue
        data = data.replace("%MODULE%", "[#$(var.ServerFile)]")
        attr = f" Name={quoteattr(name)}" if name else ""
        out.append(f'  <RegistryValue Root="HKCR" Key={quoteattr(key)}{attr} Type="string" Value={quoteattr(data)}/>')
    out.append("</Include>")
    return "\n".join(out) + "\n"


def file_version(rc_text):
    """The module's FILEVERSION (1,0,0,12) as the package version (1.0.0.12)."""
    m = re.search(r"^\s*FILEVERSION\s+(\d+)\s*,\s*(\d+)\s*,\s*(\d+)\s*,\s*(\d+)", rc_text, re.M)
    if not m:
        raise ValueError("no FILEVERSION in the resource script")
    return ".".join(m.groups())


def product_version(version):
    """The package's ProductVersion for a file version: Windows Installer compares only the first
    three fields, so the fourth, the one each build raises, joins the third (1.0.0.12 -> 1.0.12)."""
    major, minor, build, revision = (int(f) for f in version.split("."))
    if revision >= 1000 or build * 1000 + revision > 65535 or major > 255 or minor > 255:
        raise ValueError(f"version {version} does not map to a product version")
    return f"{major}.{minor}.{build * 1000 + revision}"


def msibuild(msi, query):
    subprocess.run(["msibuild", str(msi), "-q", query], check=True, stdout=subprocess.DEVNULL)


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("--x64", help="the x64 OVCustInstSrv.dll")
    p.add_argument("--x86", help="the x86 OVCustInstSrv.dll")
    p.add_argument("--ovlog", help="ovlog.exe")
    p.add_argument("--out-dir", help="where OVCustInstSrv-<version>.msi goes")
    p.add_argument("--version", help="package version (default: the module's file version)")
    p.add_argument("--print-version", action="store_true", help="print the version and stop")
    p.add_argument("--print-product-version", action="store_true",
                   help="print the package's ProductVersion and stop")
    args = p.parse_args()

    server = ROOT / "src" / "server"
    version = args.version or file_version((server / "OVCustInstSrv.rc").read_text())
    if args.print_version or args.print_product_version:
        print(product_version(version) if args.print_product_version else version)
        return 0
    if not (args.x64 and args.x86 and args.ovlog and args.out_dir):
        p.error("--x64, --x86, --ovlog and --out-dir are needed")
    out_dir = Path(args.out_dir)
    work = out_dir / "package-work"
    work.mkdir(parents=True, exist_ok=True)
    rows, removable, shared = registration_rows((server / "OVCustInst.rgs").read_text(),
                                                (server / "OVCustInstSrv.idl").read_text())
    (work / "registration.wxi").write_text(registration_wxi(rows, removable))
    (work / "typelib-shared.wxi").write_text(registration_wxi(shared, []))

    # wixl stops on a <Condition> inside a Component and ignores Permanent: take them out and
    # set them afterwards.
    wxs = (HERE / "OVCustInstSrv.wxs").read_text()
    conditions = {}
    permanent = re.findall(r'<Component\b[^>]*\bId="(\w+)"[^>]*\bPermanent="yes"', wxs)

    def take(m):
        cid = re.search(r'Id="(\w+)"', m.group(1)).group(1)
        conditions[cid] = m.group(3).strip()
        return m.group(1) + m.group(2) + m.group(4)
    wxs = re.sub(r"(<Component\b[^>]*>)(\s*)<Condition>(.*?)</Condition>\s*(\s)", take, wxs, flags=re.S)
    (work / "OVCustInstSrv.wxs").write_text(wxs)

    msi = out_dir / f"OVCustInstSrv-{version}.msi"
    product_code = str(uuid.uuid5(PRODUCT_NAMESPACE, "OVCustInstSrv " + version)).upper()
    # wixl takes a file's Source only relative to the directory it runs in.
    defines = {"Version": product_version(version), "ProductCode": product_code, "X64Dll": os.path.relpath(args.x64),
               "X86Dll": os.path.relpath(args.x86), "OvLog": os.path.relpath(args.ovlog)}
    cmd = ["wixl", "-a", "x64", "-I", str(work), "-o", str(msi)]
    for k, v in defines.items():
        cmd += ["-D", f"{k}={v}"]
    built = subprocess.run(cmd + [str(work / "OVCustInstSrv.wxs")], capture_output=True, text=True)
    # wixl warns about attributes it does not know (applied below) and logs assertions for the
    # empty values of key rows: only its exit code and errors count.
    if built.returncode != 0:
        sys.stderr.write(built.stdout + built.stderr)
        return 1
    for cid, cond in conditions.items():
        msibuild(msi, f"UPDATE `Component` SET `Condition` = '{cond}' WHERE `Component` = '{cid}'")
    attributes = subprocess.run(["msiinfo", "export", str(msi), "Component"], check=True,
                                capture_output=True, text=True).stdout
    for line in attributes.splitlines()[3:]:
        cols = line.split("\t")
        if cols[0] in permanent:
            msibuild(msi, f"UPDATE `Component` SET `Attributes` = {int(cols[3]) | 16} "
                          f"WHERE `Component` = '{cols[0]}'")  # msidbComponentAttributesPermanent
    print(msi)
    return 0


if __name__ == "__main__":
    sys.exit(main())
