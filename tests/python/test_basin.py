"""The ripplex module against ripplex-sim: the same water to the bit, the
same refusals, arrays the right way round, and a runaway stopped."""
import os
import re
import shutil
import subprocess
import threading

import numpy as np
import pytest

import ripplex

SOURCE = os.environ["RIPPLEX_SOURCE_DIR"]
DEFAULT = os.path.join(SOURCE, "default")


def scene(tmp_path, **keys):
    """default/ copied, with simulation.opt keys replaced or added."""
    directory = tmp_path / "scene"
    shutil.copytree(DEFAULT, directory)
    options = directory / "simulation.opt"
    text = options.read_text(encoding="latin-1")
    for key, value in keys.items():
        text, found = re.subn(rf"^{key} = .*;$", f"{key} = {value};", text, flags=re.M)
        text += "" if found else f"\n{key} = {value};\n"
    options.write_text(text, encoding="latin-1")
    return directory


def summary(b):
    kinds = b.objects["kind"]
    return "time=%.6f water=%.9g spray=%.9g objects=%d particles=%d" % (
        b.time, b.water, b.spray, np.sum(kinds == ripplex.SOLID), np.sum(kinds == ripplex.PARTICLE))


def test_plain_steps_equal_the_runner_to_the_bit_in_every_basin(tmp_path):
    # 100 steps of 0.03 s: two balls in, spray thrown from 0.9 s on.
    dump = tmp_path / "heights.bin"
    run = subprocess.run([os.environ["RIPPLEX_SIM"], "--directory", DEFAULT, "--steps", "100",
                          "--no-substeps", "--heights", str(dump)], capture_output=True, text=True, check=True)
    expected = np.fromfile(dump, dtype="<f4").reshape(50, 50)

    def check(b):
        for _ in range(100):
            b.step(0.03)
        assert np.array_equal(b.heights.view(np.uint32), expected.view(np.uint32))
        assert summary(b) == run.stdout.splitlines()[-1]

    check(ripplex.Basin(DEFAULT))
    # Later basins start their own spray sequence, even two at once on threads.
    basins = [ripplex.Basin(DEFAULT) for _ in range(2)]
    errors = []
    threads = [threading.Thread(target=lambda b=b: errors.append(check(b))) for b in basins]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert errors == [None, None]


def test_arrays_are_read_only_float32_indexed_y_then_x(tmp_path):
    b = ripplex.Basin(scene(tmp_path, iSimulationWidth=40, iSimulationHeight=30))
    assert b.heights.shape == (30, 40) and b.corner_heights.shape == (29, 39)
    assert b.heights.dtype == b.corner_heights.dtype == np.float32
    x, y, radius = 0.2, -0.1, 0.05
    b.press(x, y, radius, 0.02)
    before = b.heights
    for _ in range(3):
        b.step(0.01)
    assert np.array_equal(before, b.heights)  # a view of the water in place, not a copy
    dx, dy = b.extent[0] / 40, b.extent[1] / 30
    j, i = np.unravel_index(np.argmin(b.heights), (30, 40))
    assert abs((i - 20) * dx - x) <= radius and abs((j - 15) * dy - y) <= radius
    corners = b.corner_heights
    j, i = np.unravel_index(np.argmin(corners), (29, 39))
    assert abs((i + 1 - 20) * dx - x) <= radius and abs((j + 1 - 15) * dy - y) <= radius
    assert not any(a.flags.writeable for a in (b.heights, corners, b.objects))
    with pytest.raises(ValueError):
        corners[0, 0] = 0
    del b  # the view keeps its basin
    assert corners.min() > 0.1


def test_balls_and_finger_script_an_experiment(tmp_path):
    b = ripplex.Basin(DEFAULT)
    b.add_sphere((0.1, -0.2, 0.5), radius=0.04, mass=0.1, speed=(1.0, 0.0, 0.0), name="mine")
    b.press(0.0, 0.0, 0.05, 0.02)
    b.lift()
    b.step(0.03)
    b.step(0.03)  # a pressure set in one step moves the water in the next
    assert b.objects.dtype.names == ("kind", "position", "speed", "radius")
    (ball,) = b.objects
    assert ball["kind"] == ripplex.SOLID and ball["radius"] == np.float32(0.04)
    assert ball["position"][0] > 0.1 and ball["position"][2] < 0.5 and ball["speed"][2] < 0
    # Lifted before any step: the water is that of a basin never pressed.
    unpressed = ripplex.Basin(DEFAULT)
    unpressed.step(0.03)
    unpressed.step(0.03)
    assert np.array_equal(b.heights, unpressed.heights)


def test_refusals_carry_the_log_lines_and_leave_the_current_directory(tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    with pytest.raises(ripplex.Error, match="CApplication::Init -- Impossible de changer pour le "
                                            "répertoire nowhere !"):
        ripplex.Basin("nowhere")
    broken = scene(tmp_path, iSimulationWidth="2")
    with pytest.raises(ripplex.Error) as refused:
        ripplex.Basin(broken)
    assert str(refused.value).splitlines() == [
        "CWaterBody::Init -- Paramètre iSimulationWidth invalide : 2",
        "CWaterScene::Init -- Impossible d'initialiser la scène"]
    assert os.getcwd() == str(tmp_path)
    with pytest.warns(ripplex.SceneWarning, match="iMisspelt du fichier simulation.opt"):
        b = ripplex.Basin(os.path.relpath(scene(tmp_path / "2", iMisspelt=1)))
    assert os.getcwd() == str(tmp_path)
    # A second directory's own files, not the cached ones of the first.
    assert ripplex.Basin(os.path.join(SOURCE, "fine")).heights.shape == (128, 128)
    for bad in (lambda: b.step(0), lambda: b.advance(float("nan")), lambda: b.press(0, 0, -1, 0.1),
                lambda: b.add_sphere((0, 0, 1), 0, 1)):
        with pytest.raises(ValueError):
            bad()


def test_a_runaway_raises_diverged_with_the_watch_line(tmp_path):
    # 128 x 128 cells at the 50 x 50 spray threshold: the spray feeds itself.
    b = ripplex.Basin(scene(tmp_path, iSimulationWidth=128, iSimulationHeight=128))
    with pytest.raises(ripplex.Diverged, match=r"^CWaterBody::Advance -- Simulation divergente à t = ") as first:
        for _ in range(400):
            assert b.advance(0.03) == 2
    assert isinstance(first.value, ripplex.Error) and b.diverged
    with pytest.raises(ripplex.Diverged) as again:
        b.step(0.01)
    assert str(again.value) == str(first.value)
