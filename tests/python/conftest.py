# Shared by the Python tests: the check of a document against the JSON
# schema of doc/result.schema.json.
import json
import os

import pytest


@pytest.fixture(scope="session")
def valid_document():
    jsonschema = pytest.importorskip("jsonschema")
    path = os.path.join(os.environ["VANTOR_SOURCE_DIR"], "doc", "result.schema.json")
    validator = jsonschema.Draft202012Validator(json.load(open(path)))
    return validator.validate
