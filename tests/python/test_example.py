"""examples/plot_cross_section.py runs on the shipped scene and writes its PNG."""
import os
import subprocess
import sys


def test_the_example_writes_a_png(tmp_path):
    script = os.path.join(os.environ["RIPPLEX_SOURCE_DIR"], "examples", "plot_cross_section.py")
    picture = tmp_path / "cross.png"
    run = subprocess.run([sys.executable, script, "--seconds", "0.9", "--output", str(picture)],
                         capture_output=True, text=True)
    assert run.returncode == 0, run.stderr
    assert picture.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n" and "30 frames" in run.stdout
