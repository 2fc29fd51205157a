"""`cmake --install` puts a package that imports and finds its libraries
under the prefix, not in the build tree."""

import json
import os
import subprocess
import sys

import pytest

BUILD = os.environ.get("PROX_BUILD_DIR")

PROBE = """
import json, numpy as np, proximities
d = proximities.matrix(np.array([[0.0, 0.0], [3.0, 4.0]]), "BLOCK")
print(d[0, 1])
print(proximities._native.__file__)
with open("/proc/self/maps") as maps:
    print(json.dumps(sorted({line.split()[-1] for line in maps
                             if "libprox.so" in line or "libtavixw" in line})))
"""


@pytest.mark.skipif(not BUILD, reason="run by ctest, which names the build folder")
def test_the_installed_package_imports_from_the_prefix(tmp_path):
    prefix = tmp_path / "prefix"
    installed = subprocess.run(
        ["cmake", "--install", BUILD, "--prefix", str(prefix)], capture_output=True, text=True
    )
    assert installed.returncode == 0, installed.stdout + installed.stderr
    (site,) = prefix.glob(f"lib/python{sys.version_info[0]}.{sys.version_info[1]}/*-packages")
    env = {k: v for k, v in os.environ.items() if k not in ("PROXIMITIES_LIBRARY", "PYTHONPATH")}
    env["PYTHONPATH"] = str(site)
    probe = subprocess.run(
        [sys.executable, "-c", PROBE], env=env, cwd=tmp_path, capture_output=True, text=True
    )
    assert probe.returncode == 0, probe.stderr
    distance, native, libraries = probe.stdout.splitlines()
    assert float(distance) == 7.0
    assert native.startswith(str(site / "proximities"))
    libraries = json.loads(libraries)
    assert sorted(os.path.basename(p) for p in libraries) == ["libprox.so", "libtavixw.so"]
    assert all(p.startswith(str(prefix / "lib") + "/") for p in libraries), libraries
