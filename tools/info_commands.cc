// zorvel schema, zorvel info and zorvel columns: the plug-in's schema
// document, its identity and the CSV header of a mode, read through its
// exports.
#include <iostream>
#include <memory>
#include <string>

#include <rapidjson/document.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include "commands.h"
#include "csv_cells.h"
#include "mode_codes.h"
#include "mode_schema.h"
#include "plugin_loader.h"

namespace zorvel::cli {
namespace {

struct SchemaOptions {
  std::string data_dir;
  std::string plugin_path;
  bool pretty = false;
};

std::string Pretty(std::string_view compact) {
  rapidjson::Document document;
  document.Parse(compact.data(), compact.size());
  if (document.HasParseError()) return std::string(compact);
  rapidjson::StringBuffer text;
  rapidjson::PrettyWriter<rapidjson::StringBuffer> writer(text);
  writer.SetIndent(' ', 2);
  document.Accept(writer);
  return text.GetString();
}

int RunSchema(const SchemaOptions& options) {
  PluginLoader loader;
  int code = OpenPlugin(options.plugin_path, loader);
  if (code != kExitOk) return code;
  code = PrepareTables(loader.api(), options.data_dir, /*strict=*/false);
  if (code != kExitOk) return code;
  DocumentBuffer buffer;
  std::string_view schema = buffer.Fetch([&](char* data, uint32_t size) {
    return loader.api().CS_GetSchema(data, size);
  });
  std::cout << (options.pretty ? Pretty(schema) : std::string(schema)) << "\n";
  return std::cout ? kExitOk : kExitIoError;
}

int RunInfo(const std::string& plugin_path) {
  PluginLoader loader;
  int code = OpenPlugin(plugin_path, loader);
  if (code != kExitOk) return code;
  PluginInfo info{};
  loader.api().Info(&info);
  std::cout << "Name:        " << info.name << "\n"
            << "Version:     " << info.major_version << "."
            << info.minor_version << "\n"
            << "Kind:        " << info.kind << "\n"
            << "Protocol:    " << info.protocol_format << "\n"
            << "Description: " << info.description << "\n"
            << "Interface:   " << loader.api().GetVersion() << "\n";
  return std::cout ? kExitOk : kExitIoError;
}

struct ColumnsOptions {
  std::string data_dir;
  std::string plugin_path;
  std::string mode;
  std::string spell_column = "SpellId";
  int positions = 10;
};

// The header of a CSV extract that fills every input of the mode: the spell
// column, the spell's own fields, then the episode fields in schema order,
// each array as numbered columns.
int RunColumns(const ColumnsOptions& options) {
  PluginLoader loader;
  int code = OpenPlugin(options.plugin_path, loader);
  if (code == kExitOk) code = PrepareTables(loader.api(), options.data_dir, /*strict=*/false);
  if (code == kExitOk) code = CheckModeCode(loader.api(), options.mode);
  if (code != kExitOk) return code;
  const std::vector<ModeSchema> schemas = ModeSchemas(loader.api());
  const ModeSchema& mode = *FindMode(schemas, options.mode);
  std::string line;
  AppendCsvCell(&line, options.spell_column, true);
  auto add = [&](const SchemaField& field) {
    if (!field.is_array) {
      AppendCsvCell(&line, field.name);
      return;
    }
    for (int i = 1; i <= options.positions; ++i) {
      AppendCsvCell(&line, field.name + "_" + std::to_string(i));
    }
  };
  for (const SchemaField& field : mode.spell_inputs) {
    bool episode_field = false;
    for (const SchemaField& other : mode.episode_inputs) episode_field |= other.name == field.name;
    if (field.name != "Id" && !episode_field) add(field);
  }
  for (const SchemaField& field : mode.episode_inputs) add(field);
  std::cout << line << "\n";
  return std::cout ? kExitOk : kExitIoError;
}

}  // namespace

void AddInfoCommands(CLI::App& app, int* exit_code) {
  auto schema_options = std::make_shared<SchemaOptions>();
  CLI::App* schema = app.add_subcommand(
      "schema", "Print the schema document of the modes the plug-in offers");
  schema->add_flag("--pretty", schema_options->pretty,
                   "Indent the document for reading");
  AddPluginOptions(schema, &schema_options->data_dir, &schema_options->plugin_path);
  schema->callback([schema_options, exit_code] {
    *exit_code = RunSchema(*schema_options);
  });

  auto columns_options = std::make_shared<ColumnsOptions>();
  CLI::App* columns = app.add_subcommand(
      "columns", "Print the CSV header that zorvel group reads for a mode");
  columns->add_option("--mode", columns_options->mode, "Mode code")->required();
  columns->add_option("--positions", columns_options->positions,
                      "Numbered columns printed for each array field (default: 10)")
      ->check(CLI::Range(1, 1000));
  columns->add_option("--spell-column", columns_options->spell_column,
                      "Name of the spell id column (default: SpellId)");
  AddPluginOptions(columns, &columns_options->data_dir, &columns_options->plugin_path);
  columns->callback([columns_options, exit_code] {
    *exit_code = RunColumns(*columns_options);
  });

  auto plugin_path = std::make_shared<std::string>();
  CLI::App* info = app.add_subcommand("info", "Print the plug-in's identity");
  info->add_option("--plugin", *plugin_path,
                   "Path of libzorvel.so (default: next to the program)");
  info->callback(
      [plugin_path, exit_code] { *exit_code = RunInfo(*plugin_path); });
}

}  // namespace zorvel::cli
