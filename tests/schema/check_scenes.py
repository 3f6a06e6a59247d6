#!/usr/bin/env python3
"""Scene files against docs/scene.schema.json, through a validator that shares nothing with
the runner's own checks (python3-jsonschema).

    check_scenes.py SOURCE_DIR RIGKIT_RUN

- the schema is valid JSON Schema 2020-12;
- every scene under examples/ and tests/scenes/ validates;
- every scene under tests/scenes/bad/ that the runner refuses for its shape is refused by
  the schema too, at the same place, with the runner's message (the first line of its
  .expected file) or the clearer one listed below; the others are refused by the runner
  for what a schema cannot know, each listed below with why;
- the type strings the schema offers are those the plug-in registers.

    check_scenes.py SOURCE_DIR RIGKIT_RUN --write-types

rewrites the schema's four lists of type strings from what the plug-in registers (after
adding a control) and checks nothing.
"""

import glob
import json
import os
import subprocess
import sys

import jsonschema

# Scenes the runner refuses for what only the scene's content or the run can tell.
RUNNER_ONLY = {
    "bad_camera": "the eye and the target are the same point",
    "control_character_in_name": "the parent is named before it is defined",
    "duplicate_key": "a key written twice: JSON parsers keep one of them",
    "duplicate_key_frame": "two keys at one frame",
    "duplicate_node": "two nodes with one name",
    "empty": "not JSON",
    "not_json": "not JSON",
    "truncated": "not JSON",
    "two_documents": "not JSON",
    "expect_fails": "an expectation that the run does not meet",
    "expect_keys_fails": "an expectation that the run does not meet",
    "expect_matrix_fails": "an expectation that the run does not meet",
    "expect_messages_fails": "an expectation that the run does not meet",
    "huge_viewport": "each side is allowed; their product is not",
    "missing_attribute": "the node has no attribute of that name",
    "missing_component": "the attribute has no component of that name",
    "picker_without_attribute": "the pick adaptor refuses the attributes it is given",
    "wrong_attribute_kind": "the transformation refuses the attribute's kind",
    "pixel_beyond_int": "the pixel lies outside the picture rendered",
    "print_unknown_node": "no node of that name",
    "properties_unknown_node": "no node of that name",
    "properties_remove_missing": "the node does not define the property it removes",
    "properties_empty": "\"set\" and \"remove\" are each allowed empty; the runner refuses a step with nothing in either",
    "render_onto_directory": "the file system has a directory there",
    "render_outside_out": "the picture's name leads out of the output directory",
    "set_matrix": "the path names a matrix, which cannot be set",
    "set_wrong_shape": "the value does not fit the attribute's kind",
    "unknown_parent": "the parent is named before it is defined",
    "unknown_port": "the port's node is named before it is defined",
}

# Where the schema's message says more than the runner's (or says it otherwise); each
# names the same place.
CLEARER = {
    "bad_property": "nodes[0].properties.style: expected a number, true or false, a string or a list, found an object",
    "bad_viewport": "viewport: expected a list of 2 whole numbers, found a list of 1 value",
    "bad_unit_scale": "metrics.unitScale[1]: expected a number above 0, found 0",
    "late_bad_step": "step 3: expected an object, found a string",
    "manip_mode_beyond_int": "step 1: drag.manipMode: expected a number below 2147483648, found 1e+20",
    "manip_mode_fraction": "step 1: drag.manipMode: expected a whole number, found a number",
    "undo_beyond_int": "step 1: undo: expected a whole number from 0 to 2147483647, found 1e+300",
    "pointer_drag_without_node": "step 1: drag: a drag \"in\": \"pointer\" needs the \"node\" it drags",
    "unknown_attribute_type": "nodes[0].attributes.tx.type: unknown value \"foo\" (expected one of: double, bool, "
                              "string, position2d, position3d, rotation3d, scale3d)",
    "unknown_curve": "nodes[0].attributes.tx.curve: unknown value \"linear\" (expected one of: bezier, ease, "
                     "velobased, fnc2d, expr)",
    "unknown_painter": "nodes[0].painters[0].type: unknown value \"NO_SUCH_PAINTER\" (expected one of: ",
    "unknown_transformation": "nodes[0].transformations[0].type: unknown value \"TRANSLATE_X\" (expected one of: ",
    "bad_camera_step": "step 2: camera.type: unknown value \"fisheye\" (expected one of: ortho, perspective)",
}

KIND = {"number": "a number", "integer": "a whole number", "string": "a string", "boolean": "true or false",
        "array": "a list", "object": "an object", "null": "null"}


def describe(v):
    if v is None:
        return "null"
    if isinstance(v, bool):
        return "a boolean"
    if isinstance(v, (int, float)):
        return "a number"
    if isinstance(v, str):
        return "a string"
    if isinstance(v, list):
        return "a list of %d value%s" % (len(v), "" if len(v) == 1 else "s")
    return "an object"


def show(v):
    return json.dumps(v, separators=(",", ":"))


def either(words):
    return words[0] if len(words) == 1 else ", ".join(words[:-1]) + " or " + words[-1]


def where(path):
    """The runner's way of naming a place: nodes[0].attributes.tx, step 3: frame."""
    path = list(path)
    out = ""
    prefix = ""
    if len(path) >= 2 and path[0] == "script":
        prefix = "step %d" % (path[1] + 1)
        path = path[2:]
    for part in path:
        out += "[%d]" % part if isinstance(part, int) else ("." if out else "") + part
    if prefix:
        return prefix + (": " + out if out else "")
    return out or "top level"


def message(error, steps):
    """The error as `where: what`, in the runner's words where it has them."""
    e = error
    path = list(e.absolute_path)
    here = where(path)
    v = e.instance
    in_step = len(path) == 2 and path[0] == "script"
    if e.validator == "additionalProperties":
        allowed = list(e.schema.get("properties", {}))
        extra = [k for k in v if k not in allowed]
        if in_step:
            own = allowed[0]
            other = [k for k in extra if k in steps]
            if other:
                return "%s: one step cannot be both \"%s\" and \"%s\"" % (here, own, other[0])
            return "%s: unknown key \"%s\" in a \"%s\" step" % (here, extra[0], own)
        if len(path) == 3 and path[0] == "script":
            return "%s: unknown key \"%s\" in \"%s\"" % (where(path[:2]), extra[0], path[2])
        return "%s.%s: unknown key (expected one of: %s)" % (here if path else "", extra[0], ", ".join(allowed)) \
            if path else "%s: unknown key (expected one of: %s)" % (extra[0], ", ".join(allowed))
    if e.validator == "anyOf" and all(set(s) == {"required"} for s in e.validator_value):
        known = sorted(s["required"][0] for s in e.validator_value)
        return "%s: unknown step with %s (known steps: %s)" % (here, ", ".join('"%s"' % k for k in v),
                                                               ", ".join(known))
    if e.validator == "type":
        kinds = e.validator_value if isinstance(e.validator_value, list) else [e.validator_value]
        return "%s: expected %s, found %s" % (here, either([KIND[k] for k in kinds]), describe(v))
    if e.validator in ("minItems", "maxItems"):
        n = e.schema.get("minItems")
        items = e.schema.get("items", {})
        if "prefixItems" in e.schema:
            items = e.schema["prefixItems"][0]
        what = "whole numbers" if items.get("type") == "integer" else "numbers"
        return "%s: expected a list of %d %s, found %s" % (here, n, what, describe(v))
    if e.validator == "required" and "description" in e.schema:
        return "%s: %s" % (here, e.schema["description"])
    if e.validator == "required":
        missing = [k for k in e.validator_value if k not in v][0]
        return "%s: missing \"%s\"" % (here, missing)
    if e.validator == "dependentRequired":
        (key, needs), = [(k, n) for k, n in e.validator_value.items() if k in v]
        return "%s: %s need a \"%s\"" % (here, key, needs[0])
    if e.validator == "enum":
        return "%s: unknown value %s (expected one of: %s)" % (here, show(v), ", ".join(e.validator_value))
    if e.validator == "not" and "description" in e.schema:
        return "%s: %s" % (here, e.schema["description"])
    if e.validator == "pattern" and "description" in e.schema:
        return "%s: %s" % (here, e.schema["description"])
    if e.validator in ("minimum", "maximum"):
        lo, hi = e.schema.get("minimum"), e.schema.get("maximum")
        kind = "a whole number" if e.schema.get("type") == "integer" else "a number"
        return "%s: expected %s from %s to %s, found %s" % (here, kind, lo, hi, show(v))
    if e.validator in ("exclusiveMinimum", "exclusiveMaximum"):
        if e.validator == "exclusiveMinimum":
            return "%s: expected a number above %s, found %s" % (here, show(e.validator_value), show(v))
        return "%s: expected a number below %s, found %s" % (here, show(e.validator_value), show(v))
    return "%s: %s" % (here, e.message)


def first_error(validator, document):
    errors = list(validator.iter_errors(document))
    return jsonschema.exceptions.best_match(errors) if errors else None


def name_error(validator, document):
    """A key refused by "propertyNames": jsonschema names the object, the runner the key."""
    for e in validator.iter_errors(document):
        if "propertyNames" in e.absolute_schema_path:
            return "%s.%s: %s" % (where(e.absolute_path), e.instance, e.schema.get("description", e.message))
    return None


TYPE_LISTS = [("localTransformationType", "local transformations"), ("painterType", "OpenGL painters"),
              ("manipulatorType", "drag manipulators"), ("pickerType", "pick adaptors")]


def registered_types(runner):
    """Type strings by factory, as `rigkit-run --list` prints them."""
    listing = subprocess.run([runner, "--list"], check=True, capture_output=True, text=True).stdout
    registered = {}
    family = None
    for line in listing.splitlines():
        if line.startswith("  "):
            registered[family].append(line.strip())
        else:
            family = line.split(" (")[0]
            registered[family] = []
    return registered


def write_types(path, schema, runner):
    registered = registered_types(runner)
    for key, family in TYPE_LISTS:
        schema["$defs"][key]["enum"] = registered[family]
    with open(path, "w") as f:
        f.write(json.dumps(schema, indent=2, ensure_ascii=False) + "\n")
    return 0


def main():
    source, runner = sys.argv[1], sys.argv[2]
    path = os.path.join(source, "docs", "scene.schema.json")
    with open(path) as f:
        schema = json.load(f)
    if sys.argv[3:] == ["--write-types"]:
        return write_types(path, schema, runner)
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)
    steps = [s["required"][0] for s in schema["$defs"]["step"]["anyOf"]]
    failures = []

    good = sorted(glob.glob(os.path.join(source, "examples", "*.json")) +
                  glob.glob(os.path.join(source, "tests", "scenes", "*.json")))
    for path in good:
        with open(path) as f:
            document = json.load(f)
        for e in validator.iter_errors(document):
            failures.append("%s: refused by the schema: %s" % (path, message(e, steps)))

    bad = sorted(glob.glob(os.path.join(source, "tests", "scenes", "bad", "*.json")))
    refused = runner_only = 0
    for path in bad:
        name = os.path.splitext(os.path.basename(path))[0]
        with open(os.path.splitext(path)[0] + ".expected") as f:
            expected = f.readline().rstrip("\n")
        try:
            with open(path) as f:
                document = json.load(f)
        except ValueError:
            document = None
        error = None if document is None else first_error(validator, document)
        if error is None:
            runner_only += 1
            if name not in RUNNER_ONLY:
                failures.append("%s: the runner refuses it (%s) but the schema accepts it" % (name, expected))
            continue
        if name in RUNNER_ONLY:
            failures.append("%s: the schema refuses it now (%s); take it off RUNNER_ONLY" % (name, message(error, steps)))
            continue
        refused += 1
        said = name_error(validator, document) or message(error, steps)
        wanted = CLEARER.get(name, expected)
        if wanted not in said:
            failures.append("%s: the schema says\n    %s\n  where it should say\n    %s" % (name, said, wanted))

    # The type strings offered for completion are the registered ones.
    registered = registered_types(runner)
    for key, family in TYPE_LISTS:
        offered = schema["$defs"][key]["enum"]
        for name in sorted(set(registered[family]) - set(offered)):
            failures.append("%s: the plug-in registers %s, which the schema does not offer (run %s --write-types)" %
                            (family, name, os.path.relpath(__file__)))
        for name in sorted(set(offered) - set(registered[family])):
            failures.append("%s: the schema offers %s, which the plug-in does not register" % (family, name))

    for f in failures:
        print(f)
    print("%d scenes valid; of %d bad scenes %d refused by the schema, %d by the runner alone; %d failures" %
          (len(good), len(bad), refused, runner_only, len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
