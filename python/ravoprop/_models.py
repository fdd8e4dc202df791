"""The model table and model templates."""
import os

from . import _ravoprop


def models():
    """The propagation models: a list of dicts with code, names, quantity,
    unit (of the result), studies and summary, in table order."""
    return _ravoprop.models()


class Template:
    """A model template: a settings file with [Propagation Model] (MODEL and
    the model's keys) and [Eff Curvature] K-Value."""

    def __init__(self, text):
        self.text = text

    @classmethod
    def new(cls, model):
        """The model's complete template with its defaults (runs as it is)."""
        return cls(_ravoprop.model_template(model))

    @classmethod
    def read(cls, path):
        """The template held in a settings file."""
        with open(path, encoding="latin-1") as f:
            return cls(f.read())

    def write(self, path, force=False):
        """Writes the template; an existing file is kept unless force."""
        if os.path.exists(path) and not force:
            raise FileExistsError(f"{path} exists; it was left as it is (give force=True to replace it)")
        tmp = f"{path}.tmp{os.getpid()}"
        with open(tmp, "w", encoding="latin-1") as f:
            f.write(self.text)
        os.replace(tmp, path)
        return path
