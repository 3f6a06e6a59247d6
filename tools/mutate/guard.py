"""Writing a mutant into the source tree and always taking it out again.

Before a file is changed, its pristine bytes are copied aside and a journal entry naming
them is written and flushed to disk; the entry goes only once the file is back. A run
killed outright (SIGKILL, a power cut) leaves the journal behind, and the next run puts
every file it names back before doing anything else. SIGINT, SIGTERM and SIGHUP unwind
through `finally`, which restores the file at once.
"""

import json
import os
import signal


class Interrupted(Exception):
    pass


def _raise_interrupted(signum, frame):
    raise Interrupted(signal.Signals(signum).name)


def install_signal_handlers():
    """Turn the signals a user or a job system sends into an exception that unwinds."""
    previous = {}
    for s in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        previous[s] = signal.signal(s, _raise_interrupted)
    return previous


def _write_durably(path, data: bytes):
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
        f.flush()
        os.fsync(f.fileno())
    os.replace(tmp, path)


class Guard:
    """Owns the journal directory; `mutated(path, text)` is the only way a mutant gets in."""

    def __init__(self, root: str, state_dir: str):
        self.root = root
        self.dir = state_dir
        self.journal = os.path.join(state_dir, "journal.json")
        os.makedirs(state_dir, exist_ok=True)

    def _entries(self):
        if not os.path.exists(self.journal):
            return []
        with open(self.journal) as f:
            return json.load(f)

    def recover(self):
        """Put back every file a previous run left mutated; returns the paths put back."""
        restored = []
        for entry in self._entries():
            target = os.path.join(self.root, entry["path"])
            with open(entry["pristine"], "rb") as f:
                pristine = f.read()
            current = None
            if os.path.exists(target):
                with open(target, "rb") as f:
                    current = f.read()
            if current != pristine:
                _write_durably(target, pristine)
                restored.append(entry["path"])
            os.remove(entry["pristine"])
        if os.path.exists(self.journal):
            os.remove(self.journal)
        return restored

    def mutated(self, rel_path: str, mutant_text: str):
        return _Mutation(self, rel_path, mutant_text)


class _Mutation:
    def __init__(self, guard: Guard, rel_path: str, text: str):
        self.guard = guard
        self.rel = rel_path
        self.text = text
        self.target = os.path.join(guard.root, rel_path)
        self.pristine_copy = os.path.join(guard.dir, "pristine-" + rel_path.replace("/", "__"))

    def __enter__(self):
        if self.guard._entries():
            raise RuntimeError("a mutant is already in the tree: " + self.guard.journal)
        with open(self.target, "rb") as f:
            self.pristine = f.read()
        # Signals are held off while the journal and the file disagree, so an interrupt
        # cannot land between writing the mutant and recording how to undo it.
        held = signal.pthread_sigmask(signal.SIG_BLOCK, {signal.SIGINT, signal.SIGTERM, signal.SIGHUP})
        try:
            _write_durably(self.pristine_copy, self.pristine)
            _write_durably(self.guard.journal,
                           json.dumps([{"path": self.rel, "pristine": self.pristine_copy}]).encode())
            _write_durably(self.target, self.text.encode())
        finally:
            signal.pthread_sigmask(signal.SIG_SETMASK, held)
        return self

    def __exit__(self, *exc):
        held = signal.pthread_sigmask(signal.SIG_BLOCK, {signal.SIGINT, signal.SIGTERM, signal.SIGHUP})
        try:
            _write_durably(self.target, self.pristine)
            os.remove(self.guard.journal)
            os.remove(self.pristine_copy)
        finally:
            signal.pthread_sigmask(signal.SIG_SETMASK, held)
        return False
