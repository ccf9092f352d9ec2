#include "classification/TransferFunction.h"

#include "classification/Polygon.h"
#include "classification/TfnReader.h"
#include "classification/Trapez.h"
#include "classification/Triangle.h"

#include <fstream>
#include <functional>
#include <utility>

namespace Classification {

namespace {

constexpr unsigned kEditorMargin = 10;
constexpr float kEditorSize = 256.0f;
constexpr const char* kFileShapeKind = "VornTrapez";

TransferFunctionGeometry* createShape(const std::string& kind, const std::string& name)
{
    using Factory = std::function<TransferFunctionGeometry*(const std::string&)>;
    static const std::pair<const char*, Factory> kinds[] = {
        {"Trapez", [](const std::string& n) { return new Trapez(n); }},
        {"VornTrapez", [](const std::string& n) { return new VornTrapez(n); }},
        {"Polygon", [](const std::string& n) { return new Polygon(n); }},
        {"Triangle", [](const std::string& n) { return new Triangle(n); }},
    };
    for (const auto& k : kinds)
        if (kind == k.first)
            return k.second(name);
    return nullptr;
}

// `name` if no shape has it, else the first of name0, name1, ... that no shape has. One
// pass collects the numbers in use: trying name after name costs a pass each, which a
// file of thousands of records of one name turned into minutes.
std::string firstFreeName(const std::vector<TransferFunctionGeometry*>& shapes, const std::string& name)
{
    bool taken = false;
    // n shapes hold at most n numbered names, so a free number below n + 1 exists.
    std::vector<bool> used(shapes.size() + 1, false);
    for (const TransferFunctionGeometry* shape : shapes) {
        const std::string& other = shape->name;
        if (other == name) {
            taken = true;
            continue;
        }
        if (other.size() <= name.size() || other.compare(0, name.size(), name) != 0)
            continue;
        // Only what std::to_string writes: digits, no sign, no leading zero.
        const std::string digits = other.substr(name.size());
        if (digits.find_first_not_of("0123456789") != std::string::npos || (digits.size() > 1 && digits[0] == '0'))
            continue;
        if (digits.size() <= 9) {  // larger numbers are beyond the range that can matter
            const std::size_t n = std::stoul(digits);
            if (n < used.size())
                used[n] = true;
        }
    }
    if (!taken)
        return name;
    std::size_t n = 0;
    while (used[n])
        ++n;
    return name + std::to_string(n);
}

} // namespace

TransferFunction::TransferFunction()
    : selectedShape(-1), marginX(kEditorMargin), marginY(kEditorMargin), rangeMin(1.0f),
      rangeMax(0.0f), editorWidth(kEditorSize), editorHeight(kEditorSize), viewportHeight(0)
{
}

TransferFunction::~TransferFunction()
{
    for (TransferFunctionGeometry* shape : shapes)
        delete shape;
}

void TransferFunction::setEditorWidth(float w)
{
    editorWidth = w;
    for (TransferFunctionGeometry* shape : shapes)
        shape->editorWidth = w;
}

void TransferFunction::setEditorHeight(float h)
{
    editorHeight = h;
    for (TransferFunctionGeometry* shape : shapes)
        shape->editorHeight = h;
}

void TransferFunction::computeVisibleRange()
{
    rangeMin = 1.0f;
    rangeMax = 0.0f;
    for (const TransferFunctionGeometry* shape : shapes) {
        float lo = shape->minX(), hi = shape->maxX();
        if (lo < rangeMin)
            rangeMin = lo;
        if (hi > rangeMax)
            rangeMax = hi;
    }
}

TransferFunctionGeometry* TransferFunction::getShape(std::string name)
{
    for (TransferFunctionGeometry* shape : shapes)
        if (shape->name == name)
            return shape;
    return nullptr;
}

bool TransferFunction::removeShape(std::string name)
{
    for (size_t i = 0; i < shapes.size(); ++i) {
        if (shapes[i]->name != name)
            continue;
        delete shapes[i];
        shapes.erase(shapes.begin() + long(i));
        // Keep the editor's selection on the same shape, or on none.
        if (selectedShape == int(i))
            selectedShape = -1;
        else if (selectedShape > int(i))
            --selectedShape;
        return true;
    }
    return false;
}

std::string TransferFunction::addShape(std::string name, std::string kind)
{
    const std::string unique = firstFreeName(shapes, name);
    TransferFunctionGeometry* shape = createShape(kind, unique);
    if (!shape)
        return "";
    shapes.push_back(shape);
    shape->editorWidth = editorWidth;
    shape->editorHeight = editorHeight;
    return unique;
}

bool TransferFunction::loadFromFile(std::string fileName)
{
    std::ifstream in(fileName);
    if (!in)
        return false;
    std::vector<TfnRecord> records;
    const TfnReadResult result = readTfnRecords(in, records);
    for (const TfnRecord& record : records) {
        TransferFunctionGeometry* shape = getShape(addShape(record.name, kFileShapeKind));
        // Points the trapezoid rules reject leave the default shape, with the file's colours.
        shape->setPoints(record.points);
        for (int k = 0; k < 3; ++k)
            shape->colours[k] = record.colours[k];
    }
    if (result == TfnReadResult::UnsupportedKind)
        return false;
    in.close();
    // Also after a short file, so that table and range match the shapes that were read.
    computeVisibleRange();
    update();
    return result == TfnReadResult::Complete;
}

} // namespace Classification
