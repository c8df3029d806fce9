#include "baseline_engine.h"

#include <cmath>
#include <memory>
#include <vector>

namespace baseline {

namespace {

struct Connection {
    float weight, previousWeight;
};
struct Entry {
    int neuron;
    Connection* connection;
    Entry* next;
};
struct Neuron {
    float bias = 0, previousBias = 0, delta = 0, output = 0;
    Entry* incoming = nullptr;
    Entry* outgoing = nullptr;
};
struct Layer {
    int count, first, last;
};

std::vector<Layer> layers;
std::vector<Neuron> neurons;
std::vector<std::unique_ptr<Entry>> entries;
std::vector<std::unique_ptr<Connection>> connections;
unsigned seed = 1;

float RandomUniform(float lo, float hi) {
    seed = seed * 134775813u + 1u;
    const unsigned k = static_cast<unsigned>((static_cast<unsigned long long>(seed) * 8001u) >> 32);
    return static_cast<float>(lo + (hi - lo) * k / 8000.0);
}

float Activation(float s) {
    return static_cast<float>(2.0 / (1.0 + std::exp(-double(s))) - 1.0);
}

void AddLayer(int n) {
    const int first = layers.empty() ? 0 : layers.back().last + 1;
    layers.push_back({n, first, first + n - 1});
    neurons.resize(static_cast<size_t>(first + n));
    for (int i = first; i < first + n; ++i) {
        Neuron& ni = neurons[static_cast<size_t>(i)];
        ni.bias = ni.previousBias = RandomUniform(-0.1f, 0.1f);
        if (layers.size() < 2)
            continue;
        const Layer& prev = layers[layers.size() - 2];
        for (int j = prev.first; j <= prev.last; ++j) {
            connections.push_back(std::make_unique<Connection>());
            Connection* c = connections.back().get();
            c->weight = c->previousWeight = RandomUniform(-0.5f, 0.5f);
            entries.push_back(std::make_unique<Entry>(Entry{j, c, ni.incoming}));
            ni.incoming = entries.back().get();
            Neuron& nj = neurons[static_cast<size_t>(j)];
            entries.push_back(std::make_unique<Entry>(Entry{i, c, nj.outgoing}));
            nj.outgoing = entries.back().get();
        }
    }
}

void ForwardPass() {
    for (Neuron& n : neurons) {
        float s = n.bias;
        for (Entry* e = n.incoming; e; e = e->next)
            s = s + e->connection->weight * neurons[static_cast<size_t>(e->neuron)].output;
        n.output = Activation(s);
    }
}

}  // namespace

void BuildNetwork(std::string_view text, unsigned randomSeed) {
    seed = randomSeed;
    layers.clear();
    neurons.clear();
    entries.clear();
    connections.clear();
    int n = 0;
    for (char c : text) {
        if (c == ':') {
            AddLayer(n);
            n = 0;
        } else {
            n = n * 10 + (c - '0');
        }
    }
    AddLayer(n);
}

int Evaluate(float x, float y, float& maxOutput) {
    neurons[0].bias = x;
    neurons[1].bias = y;
    ForwardPass();
    const Layer& out = layers.back();
    int winner = out.first;
    for (int k = out.first + 1; k <= out.last; ++k)
        if (neurons[static_cast<size_t>(k)].output > neurons[static_cast<size_t>(winner)].output)
            winner = k;
    maxOutput = neurons[static_cast<size_t>(winner)].output;
    return winner - out.first;
}

bool TrainSample(int classIndex, float x, float y, float ni, float alpha) {
    float maxOutput;
    const bool correct = Evaluate(x, y, maxOutput) == classIndex;
    const Layer& out = layers.back();
    for (int k = out.first; k <= out.last; ++k) {
        Neuron& n = neurons[static_cast<size_t>(k)];
        const double t = k == out.first + classIndex ? 1.0 : -1.0;
        n.delta = static_cast<float>((1.0 - double(n.output) * n.output) * (t - n.output) / 2.0);
    }
    for (int i = out.first - 1; i >= 0; --i) {
        Neuron& n = neurons[static_cast<size_t>(i)];
        float s = 0;
        for (Entry* e = n.outgoing; e; e = e->next)
            s = s + e->connection->weight * neurons[static_cast<size_t>(e->neuron)].delta;
        n.delta = static_cast<float>((1.0 - double(n.output) * n.output) * s / 2.0);
    }
    for (int i = static_cast<int>(neurons.size()) - 1; i >= layers[0].count; --i) {
        Neuron& n = neurons[static_cast<size_t>(i)];
        const double g = 2.0 * ni * n.delta;
        const float b = n.bias;
        n.bias = static_cast<float>(b + g + alpha * (double(b) - n.previousBias));
        n.previousBias = b;
        for (Entry* e = n.incoming; e; e = e->next) {
            Connection* c = e->connection;
            const float w = c->weight;
            c->weight = static_cast<float>(w + g * neurons[static_cast<size_t>(e->neuron)].output +
                                           alpha * (double(w) - c->previousWeight));
            c->previousWeight = w;
        }
    }
    return correct;
}

}  // namespace baseline
