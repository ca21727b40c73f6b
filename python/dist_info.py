"""The package's metadata as the CMake build tree and install write it, read from
pyproject.toml, where it is written once (pip's build reads the same file through setup.py,
which takes the version and _build_info.py from here too); pip writes its own .dist-info.

    dist_info.py PYPROJECT VERSION FOLDER      METADATA, entry_points.txt, top_level.txt,
                                                INSTALLER in FOLDER
    dist_info.py --name PYPROJECT VERSION       prints the .dist-info folder's name
    dist_info.py --build-info FILE VERSION absolute|relative PATH
                                                _build_info.py: the version and where the
                                                package finds brindlewick
    dist_info.py --record SITE DIST_INFO        RECORD of the package installed in SITE, so
                                                pip can uninstall it
"""

import base64
import hashlib
import os
import re
import sys
import tomllib


def load(pyproject: str) -> dict:
    with open(pyproject, "rb") as f:
        return tomllib.load(f)


def project_version(root: str) -> str:
    """The project's version, from its CMakeLists.txt (the one place it is written)."""
    with open(os.path.join(root, "CMakeLists.txt"), encoding="utf-8") as f:
        return re.search(r"project\(kavro VERSION (\S+)", f.read()).group(1)


def folder_name(project: dict, version: str) -> str:
    """The .dist-info folder's name: the normalized project name and the version."""
    return f"{re.sub(r'[-_.]+', '_', project['name']).lower()}-{version}.dist-info"


def build_info(version: str, where: str, path: str, writer: str) -> str:
    """_build_info.py: the version and brindlewick's absolute path, or its path relative to
    the package's folder (where: "absolute" or "relative")."""
    absolute, relative = (path, "") if where == "absolute" else ("", path)
    return (f"# Written by {writer}: where this package's brindlewick is.\n"
            f'VERSION = "{version}"\nBRINDLEWICK = "{absolute}"\n'
            f'BRINDLEWICK_RELATIVE = "{relative}"\n')


def metadata(project: dict, version: str) -> str:
    lines = ["Metadata-Version: 2.1", f"Name: {project['name']}", f"Version: {version}",
             f"Summary: {project['description']}", f"License: {project['license']['text']}",
             f"Requires-Python: {project['requires-python']}"]
    lines += [f"Requires-Dist: {d}" for d in project.get("dependencies", [])]
    for extra, deps in project.get("optional-dependencies", {}).items():
        lines.append(f"Provides-Extra: {extra}")
        lines += [f'Requires-Dist: {d}; extra == "{extra}"' for d in deps]
    return "\n".join(lines) + "\n"


def entry_points(project: dict) -> str:
    groups = dict(project.get("entry-points", {}))
    if "scripts" in project:
        groups["console_scripts"] = project["scripts"]
    return "".join(f"[{g}]\n" + "".join(f"{k} = {v}\n" for k, v in items.items()) + "\n"
                   for g, items in groups.items())


def write_folder(pyproject: str, version: str, folder: str) -> None:
    toml = load(pyproject)
    project = toml["project"]
    packages = toml["tool"]["setuptools"]["packages"]
    os.makedirs(folder, exist_ok=True)
    files = {"METADATA": metadata(project, version), "entry_points.txt": entry_points(project),
             "top_level.txt": "".join(f"{p}\n" for p in packages), "INSTALLER": "cmake\n"}
    for name, text in files.items():
        with open(os.path.join(folder, name), "w", encoding="utf-8") as f:
            f.write(text)


def record_line(site: str, rel: str) -> str:
    with open(os.path.join(site, rel), "rb") as f:
        data = f.read()
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return f"{rel},sha256={digest},{len(data)}"


def write_record(site: str, dist_info: str) -> None:
    rels = []
    for top in ("kavro", dist_info):
        for folder, _, names in os.walk(os.path.join(site, top)):
            rels += [os.path.relpath(os.path.join(folder, n), site) for n in names
                     if n != "RECORD" and not n.endswith(".pyc")]
    record = f"{dist_info}/RECORD"
    lines = [record_line(site, r) for r in sorted(rels)] + [f"{record},,"]
    with open(os.path.join(site, record), "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] == "--record":
        write_record(sys.argv[2], sys.argv[3])
    elif len(sys.argv) == 4 and sys.argv[1] == "--name":
        print(folder_name(load(sys.argv[2])["project"], sys.argv[3]))
    elif len(sys.argv) == 6 and sys.argv[1] == "--build-info" and sys.argv[4] in ("absolute",
                                                                                  "relative"):
        os.makedirs(os.path.dirname(os.path.abspath(sys.argv[2])), exist_ok=True)
        with open(sys.argv[2], "w", encoding="utf-8") as f:
            f.write(build_info(sys.argv[3], sys.argv[4], sys.argv[5], "CMake"))
    elif len(sys.argv) == 4:
        write_folder(*sys.argv[1:])
    else:
        sys.exit(__doc__)
