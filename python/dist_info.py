"""Writes the package's .dist-info folder for the CMake build tree and install, from
pyproject.toml (where the metadata is written once); pip writes its own.

    dist_info.py PYPROJECT VERSION FOLDER      METADATA, entry_points.txt, top_level.txt,
                                                INSTALLER in FOLDER
    dist_info.py --record SITE DIST_INFO        RECORD of the package installed in SITE, so
                                                pip can uninstall it
"""

import base64
import hashlib
import os
import sys
import tomllib


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
    with open(pyproject, "rb") as f:
        project = tomllib.load(f)["project"]
    os.makedirs(folder, exist_ok=True)
    files = {"METADATA": metadata(project, version), "entry_points.txt": entry_points(project),
             "top_level.txt": "kavro\n", "INSTALLER": "cmake\n"}
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
    elif len(sys.argv) == 4:
        write_folder(*sys.argv[1:])
    else:
        sys.exit(__doc__)
