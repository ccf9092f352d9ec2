#include "classification/TransferFunction.h"

#include "classification/Polygon.h"
#include "classification/TfnReader.h"
#include "classification/Trapez.h"
#include "classification/Triangle.h"

#include <fstream>
#include <functional>
#include <iostream>
#include <unordered_map>
#include <unordered_set>
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

// The names in use, for handing out free ones: `name` if no shape has it, else the
// first of name0, name1, ... that no shape has. Built once for a whole file, so that a
// file of thousands of records (of one name or of many) loads in linear time.
class NameIndex {
public:
    explicit NameIndex(const std::vector<TransferFunctionGeometry*>& shapes)
    {
        for (const TransferFunctionGeometry* shape : shapes)
            names_.insert(shape->name);
    }

    std::string take(const std::string& name)
    {
        std::string free = name;
        if (names_.count(name)) {
            // Names are only added while the index lives, so the first free number of a
            // name never goes down: the search goes on where the last one stopped.
            std::size_t& n = nextNumber_[name];
            while (names_.count(name + std::to_string(n)))
                ++n;
            free = name + std::to_string(n);
        }
        names_.insert(free);
        return free;
    }

private:
    std::unordered_set<std::string> names_;
    std::unordered_map<std::string, std::size_t> nextNumber_;
};

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
    NameIndex names(shapes);
    TransferFunctionGeometry* shape = appendShape(names.take(name), kind);
    return shape ? shape->name : "";
}

TransferFunctionGeometry* TransferFunction::appendShape(const std::string& uniqueName, const std::string& kind)
{
    TransferFunctionGeometry* shape = createShape(kind, uniqueName);
    if (!shape)
        return nullptr;
    shapes.push_back(shape);
    shape->editorWidth = editorWidth;
    shape->editorHeight = editorHeight;
    return shape;
}

bool TransferFunction::loadFromFile(std::string fileName)
{
    std::ifstream in(fileName);
    if (!in)
        return false;
    std::vector<TfnRecord> records;
    const TfnReadResult result = readTfnRecords(in, records);
    NameIndex names(shapes);
    for (const TfnRecord& record : records) {
        TransferFunctionGeometry* shape = appendShape(names.take(record.name), kFileShapeKind);
        // Points the trapezoid rules reject leave the default shape, with the file's colours.
        shape->setPoints(record.points);
        for (int k = 0; k < 3; ++k)
            shape->colours[k] = record.colours[k];
    }
    if (result == TfnReadResult::UnsupportedKind)
        return false;
    // A layer would otherwise show part of its function without a word.
    if (result == TfnReadResult::Truncated)
        std::cout << "Warning: " << fileName << " is cut short; " << records.size() << " complete records read"
                  << std::endl;
    in.close();
    // Also after a short file, so that table and range match the shapes that were read.
    computeVisibleRange();
    update();
    return result == TfnReadResult::Complete;
}

} // namespace Classification
